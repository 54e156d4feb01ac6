#pragma once

#include <QString>

#include <mosquitto.h>

// libmosquitto, loaded the first time the bridge connects: a panel without a broker then maps
// neither it nor the TLS libraries it brings, which cost more memory than the whole window.
// The functions keep the library's names without the "mosquitto_" prefix.
struct MosquittoLibrary
{
    // The library, loaded and initialised once for the process; none (and `error` says why)
    // when it cannot be loaded.
    static const MosquittoLibrary *get(QString *error);

    decltype(&mosquitto_strerror) strerror = nullptr;
    decltype(&mosquitto_connack_string) connack_string = nullptr;
    decltype(&mosquitto_new) create = nullptr;
    decltype(&mosquitto_destroy) destroy = nullptr;
    decltype(&mosquitto_connect_callback_set) connect_callback_set = nullptr;
    decltype(&mosquitto_disconnect_callback_set) disconnect_callback_set = nullptr;
    decltype(&mosquitto_message_callback_set) message_callback_set = nullptr;
    decltype(&mosquitto_int_option) int_option = nullptr;
    decltype(&mosquitto_will_set) will_set = nullptr;
    decltype(&mosquitto_username_pw_set) username_pw_set = nullptr;
    decltype(&mosquitto_tls_set) tls_set = nullptr;
    decltype(&mosquitto_connect_async) connect_async = nullptr;
    decltype(&mosquitto_disconnect) disconnect = nullptr;
    decltype(&mosquitto_socket) socket = nullptr;
    decltype(&mosquitto_want_write) want_write = nullptr;
    decltype(&mosquitto_loop_read) loop_read = nullptr;
    decltype(&mosquitto_loop_write) loop_write = nullptr;
    decltype(&mosquitto_loop_misc) loop_misc = nullptr;
    decltype(&mosquitto_publish) publish = nullptr;
    decltype(&mosquitto_subscribe) subscribe = nullptr;
};
