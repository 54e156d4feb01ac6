#pragma once

#include "telegram.h"

#include <array>

// Body bytes collected since the last start byte. Fixed storage, so framing never allocates.
struct RxBuffer
{
    std::array<quint8, Telegram::BodyLength> bytes{};
    int size = 0;

    bool isFull() const noexcept { return size == Telegram::BodyLength; }
};

// One step of the receive framing. Idle until a start byte; then the next six bytes are the body,
// whatever their value; after that everything up to the next end byte is dropped. Returns true
// when `byte` ended a frame: `rxBuffer` then holds the complete body and `inFrame` is false again.
bool framingStep(RxBuffer &rxBuffer, bool &inFrame, quint8 byte) noexcept;
