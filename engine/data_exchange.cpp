#include "engine/data_exchange.h"

#include <utility>

#include "comlink/qv_com_link.h"
#include "comlink/qv_line_status.h"

namespace {

constexpr unsigned int kDialogueBaudRate = 9600;
constexpr const char* kUnknownVersion = "Unknown";

// 32-bit sum with wrap-around, as the counters are plain 32-bit registers.
std::int32_t WrappingSum(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace

DataExchange::DataExchange(platform::WindowServices& services, platform::WindowHandle window,
                           const update_info& info)
    : platform::Thread([&services](std::function<void()> task) {
          services.RunOnWindowThread(std::move(task));
      }),
      windowHandle(window),
      info(&info),
      kernelImage(info.kernel_file),
      updateImage(info.update_file),
      installedVersion(kUnknownVersion),
      services(services) {
    byteTotal = WrappingSum(static_cast<std::int32_t>(static_cast<std::uint32_t>(kernelImage.SizedLength())),
                            static_cast<std::int32_t>(static_cast<std::uint32_t>(updateImage.SizedLength())));
    bytesLeft = byteTotal;
}

bool DataExchange::OpenLink(int portNumber) {
    if (portNumber < 1) {
        return false;
    }
    if (!serial.Open(portNumber - 1)) {
        return false;
    }
    if (QvLineStatus* lineStatus = serial.LineStatus()) {
        lineStatus->Refresh();
    }
    if (!serial.SetBaudRate(kDialogueBaudRate) || serial.Handle() == 0) {
        serial.Close();
        return false;
    }
    return true;
}
