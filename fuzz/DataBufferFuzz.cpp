// Drives a UMBDataBuffer's readers and writers over arbitrary bytes and
// positions. Whatever they are given: a read leaves the contents alone and
// never moves the position back; a write changes nothing before the
// position; a range error changes nothing at all (readUTF keeps its two
// prefix bytes consumed). Any other exception, or a broken rule, is a crash.
// The values each operation gives are the unit tests' to pin.
#include "support/FuzzCheck.h"
#include "umb/UMBDataBuffer.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

using fuzz_support::require;
using umb::UMBDataBuffer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The contents come from the front of the input, the operations on them
    // from the back.
    FuzzedDataProvider in(data, size);
    UMBDataBuffer buffer(in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, size)));
    for (int steps = 0; steps < 256 && in.remaining_bytes() > 0; ++steps) {
        const UMBDataBuffer::Bytes before = buffer.bufferData();
        const std::intptr_t p = buffer.getFilePointer();
        const int op = in.ConsumeIntegralInRange<int>(0, 13);
        const auto n = in.ConsumeIntegralInRange<int32_t>(-2, 64);
        uint8_t out[64];
        // Bytes a read takes, when known: refused exactly when they are not
        // all there, and then the position moves past them.
        std::optional<size_t> need;
        auto fits = [&] {
            return p >= 0 && size_t(p) <= before.size() && *need <= before.size() - size_t(p);
        };
        try {
            switch (op) {
            case 0:
                need = n % 2 ? 1 : 2;
                n % 2 ? void(buffer.readChar()) : void(buffer.readShort());
                break;
            case 1:
                need = n % 2 ? 4 : sizeof(std::intptr_t);
                n % 2 ? void(buffer.readInt()) : void(buffer.readLong());
                break;
            case 2:
                need = n % 2 ? 4 : 8;
                n % 2 ? void(buffer.readFloat()) : void(buffer.readDouble());
                break;
            case 3:
                need = size_t(n);
                require(buffer.read(out, n) == n);
                break;
            case 4:
                need = size_t(n);
                buffer.readString(n);
                break;
            case 5:
                buffer.readUTF();
                break;
            case 6:
                buffer.readLine();
                break;
            case 7:
                buffer.extractRange(in.ConsumeIntegralInRange<std::uintptr_t>(0, 80), size_t(n));
                break;
            case 8:
                need = 0;
                require(buffer.slice().size() == before.size() - size_t(p));
                break;
            case 9:
                buffer.setByteOrder(in.ConsumeIntegralInRange<int32_t>(-1, 2));
                break;
            case 10:
                buffer.seek(in.ConsumeBool() ? in.ConsumeIntegral<std::intptr_t>()
                                             : in.ConsumeIntegralInRange<std::intptr_t>(-4, 84));
                continue;
            case 11: {
                auto bytes = in.ConsumeBytes<uint8_t>(size_t(std::max(n, 0)) % 17);
                buffer.write(bytes.data(), int32_t(bytes.size()));
                break;
            }
            case 12:
                buffer.writeUTF(in.ConsumeRandomLengthString(24));
                break;
            case 13:
                buffer.setToLength(n);
                require(buffer.length() == n && buffer.getFilePointer() == p);
                break;
            }
            // Only writes change the contents, and only from the position on.
            const auto& now = buffer.bufferData();
            auto kept = std::clamp<std::intptr_t>(
                p, 0, std::intptr_t(std::min(before.size(), now.size())));
            require(op < 11 ? now == before
                            : std::equal(before.begin(), before.begin() + kept, now.begin()));
            require(buffer.getFilePointer() >= p);
            require(!need || (fits() && buffer.getFilePointer() == p + std::intptr_t(*need)));
        } catch (const umb::DataBufferRangeError&) {
            require(buffer.bufferData() == before && !(need && fits()));
            require(buffer.getFilePointer() == p || (op == 5 && buffer.getFilePointer() == p + 2));
        }
    }
    return 0;
}
