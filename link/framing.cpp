#include "framing.h"

bool framingStep(RxBuffer &rxBuffer, bool &inFrame, quint8 byte) noexcept
{
    if (!inFrame) {
        if (byte == Telegram::StartByte) {
            rxBuffer.size = 0;
            inFrame = true;
        }
        return false;
    }
    if (!rxBuffer.isFull()) {
        rxBuffer.bytes[rxBuffer.size++] = byte;
        return false;
    }
    if (byte != Telegram::EndByte)
        return false;
    inFrame = false;
    return true;
}
