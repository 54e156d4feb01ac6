#include "wireandlog.h"

QByteArray frameBytes(const TelegramFrame &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size()));
}

QByteArray reportBytes(const ChannelAddress &address, quint8 state)
{
    return frameBytes(buildTelegram(Telegram::ReportKind, address, state));
}

namespace {
DebugLog *currentLog = nullptr;
QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg && currentLog)
        currentLog->lines << message;
    else if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

DebugLog::DebugLog()
{
    currentLog = this;
    previousHandler = qInstallMessageHandler(collect);
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(previousHandler);
    currentLog = nullptr;
}
