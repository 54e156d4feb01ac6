#include "mosquittolibrary.h"

#include <QLibrary>

namespace {

struct Loaded
{
    MosquittoLibrary functions;
    QString error;
};

template<typename Function>
bool resolve(QLibrary &library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

Loaded load()
{
    Loaded loaded;
    // libmosquitto.so.1: the soname of every release since 1.0 (Debian's libmosquitto1). It
    // stays loaded for the process.
    QLibrary library(QStringLiteral("mosquitto"), 1);
    if (!library.load()) {
        loaded.error = library.errorString();
        return loaded;
    }
    MosquittoLibrary &f = loaded.functions;
    decltype(&mosquitto_lib_init) init = nullptr;
    const char *missing = nullptr;
    const auto need = [&](const char *name, auto &function) {
        if (!missing && !resolve(library, name, function))
            missing = name;
    };
    need("mosquitto_lib_init", init);
    need("mosquitto_strerror", f.strerror);
    need("mosquitto_connack_string", f.connack_string);
    need("mosquitto_new", f.create);
    need("mosquitto_destroy", f.destroy);
    need("mosquitto_connect_callback_set", f.connect_callback_set);
    need("mosquitto_disconnect_callback_set", f.disconnect_callback_set);
    need("mosquitto_message_callback_set", f.message_callback_set);
    need("mosquitto_int_option", f.int_option);
    need("mosquitto_will_set", f.will_set);
    need("mosquitto_username_pw_set", f.username_pw_set);
    need("mosquitto_tls_set", f.tls_set);
    need("mosquitto_connect_async", f.connect_async);
    need("mosquitto_disconnect", f.disconnect);
    need("mosquitto_socket", f.socket);
    need("mosquitto_want_write", f.want_write);
    need("mosquitto_loop_read", f.loop_read);
    need("mosquitto_loop_write", f.loop_write);
    need("mosquitto_loop_misc", f.loop_misc);
    need("mosquitto_publish", f.publish);
    need("mosquitto_subscribe", f.subscribe);
    if (missing) {
        loaded.error = QStringLiteral("%1 has no %2").arg(library.fileName(), QLatin1String(missing));
        f = MosquittoLibrary();
        return loaded;
    }
    init();
    return loaded;
}

} // namespace

const MosquittoLibrary *MosquittoLibrary::get(QString *error)
{
    static const Loaded loaded = load();
    if (!loaded.error.isEmpty()) {
        if (error)
            *error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}
