#include "devlink/hid/win_bus.h"

#include "devlink/hid/controller_lock.h"

// windows.h comes first.
// clang-format off
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
// MinGW's HID headers declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "devlink/hid/event.h"
#include "devlink/hid/win_io.h"

namespace orvelle {
namespace {

// Device paths name the same interface in any letter case (SetupDi and the
// notices do not agree); the bus hands them out in lower case.
std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

class OverlappedChannel final : public HidChannel {
 public:
  OverlappedChannel(HANDLE handle, uint16_t inputLength, uint16_t outputLength)
      : handle_(handle), input_(std::max<size_t>(inputLength, 1)), outputLength_(outputLength) {}

  ReadResult Read(std::span<uint8_t> buf, const Event& stop) override {
    if (buf.empty()) return {ReadStatus::Gone, 0};
    for (;;) {
      DWORD n = 0;
      switch (Transfer(handle_.Get(), true, input_.data(), static_cast<DWORD>(input_.size()), &stop,
                       kNoTimeLimit, n)) {
        case IoEnd::Done:
          break;
        case IoEnd::Stopped:
          return {ReadStatus::Stopped, 0};
        default:
          return {ReadStatus::Gone, 0};
      }
      if (n == 0) continue;
      const size_t count = std::min(input_.size(), buf.size());
      const size_t copied = std::min<size_t>(n, count);
      std::copy_n(input_.begin(), copied, buf.begin());
      std::fill(buf.begin() + copied, buf.begin() + count, 0);
      return {ReadStatus::Data, count};
    }
  }

  bool Write(std::span<const uint8_t> report, const Event& stop) override {
    if (report.empty()) return false;
    // A HID collection takes output reports of exactly its output length.
    std::vector<uint8_t> out(std::max<size_t>(report.size(), outputLength_), 0);
    std::copy(report.begin(), report.end(), out.begin());
    // The HID class driver sends a report whole or fails; the count it gives
    // back is not the same on every system (Wine's leaves out the report ID
    // byte), so a completed write is a sent report.
    DWORD n = 0;
    return Transfer(handle_.Get(), false, out.data(), static_cast<DWORD>(out.size()), &stop,
                    kNoTimeLimit, n) == IoEnd::Done;
  }

 private:
  Handle handle_;
  std::vector<uint8_t> input_;
  const uint16_t outputLength_;
};

HANDLE OpenInterface(const std::string& path, DWORD access, DWORD flags) {
  return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

// Identity and report lengths of one interface, opened without access rights
// as enumeration needs no more (keyboards and mice refuse anything else).
bool DescribeInterface(const std::string& path, HidCollection& c) {
  Handle h(OpenInterface(path, 0, 0));
  if (!h.Valid()) return false;
  c.path = Lower(path);
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof attributes;
  if (!::HidD_GetAttributes(h.Get(), &attributes)) return false;
  c.vendorId = attributes.VendorID;
  c.productId = attributes.ProductID;
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!::HidD_GetPreparsedData(h.Get(), &preparsed)) {
    c.caps = CapsState::NoPreparsedData;
    return true;
  }
  HIDP_CAPS caps{};
  if (::HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
    c.caps = CapsState::Ok;
    c.inputLength = caps.InputReportByteLength;
    c.outputLength = caps.OutputReportByteLength;
  } else {
    c.caps = CapsState::QueryFailed;
  }
  ::HidD_FreePreparsedData(preparsed);
  return true;
}

std::vector<std::string> InterfacePaths() {
  GUID hidGuid;
  ::HidD_GetHidGuid(&hidGuid);
  std::vector<std::string> paths;
  const HDEVINFO set =
      ::SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return paths;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, i, &data); ++i) {
    DWORD size = 0;
    ::SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
    std::vector<uint8_t> storage(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (::SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, nullptr))
      paths.emplace_back(detail->DevicePath);
  }
  ::SetupDiDestroyDeviceInfoList(set);
  return paths;
}

// The notices' window lives on the watch's thread, which runs its messages
// until the watch is destroyed.
class WinWatch final : public DeviceWatch {
 public:
  explicit WinWatch(HidBus::NoticeCallback callback) : callback_(std::move(callback)) {}

  bool Start() {
    std::promise<HWND> created;
    auto window = created.get_future();
    thread_ = std::thread([this, &created] { Run(created); });
    window_ = window.get();
    if (window_) return true;
    thread_.join();
    return false;
  }

  ~WinWatch() override {
    if (!thread_.joinable()) return;
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }

 private:
  static constexpr wchar_t kClassName[] = L"OrvelleHidNotices";

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WinWatch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_DEVICECHANGE &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
      const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
      if (header && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header);
        DeviceNotice notice;
        notice.kind =
            wParam == DBT_DEVICEARRIVAL ? DeviceNotice::Kind::Arrival : DeviceNotice::Kind::Removal;
        notice.path = Lower(device->dbcc_name);
        self->callback_(notice);
      }
      return TRUE;
    }
    if (message == WM_CLOSE) {
      ::DestroyWindow(window);
      return 0;
    }
    if (message == WM_DESTROY) {
      ::PostQuitMessage(0);
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  void Run(std::promise<HWND>& created) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    HWND window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr);
    HDEVNOTIFY registration = nullptr;
    if (window) {
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      DEV_BROADCAST_DEVICEINTERFACE_A filter{};
      filter.dbcc_size = sizeof filter;
      filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      ::HidD_GetHidGuid(&filter.dbcc_classguid);
      registration = ::RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
      if (!registration) {
        ::DestroyWindow(window);
        window = nullptr;
      }
    }
    created.set_value(window);
    if (!window) return;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
      ::DispatchMessageW(&message);
    ::UnregisterDeviceNotification(registration);
  }

  const HidBus::NoticeCallback callback_;
  std::thread thread_;
  HWND window_ = nullptr;
};

class WinHidBus final : public HidBus {
 public:
  std::vector<HidCollection> Enumerate() override {
    std::vector<HidCollection> all;
    for (const std::string& path : InterfacePaths()) {
      HidCollection c;
      if (DescribeInterface(path, c)) all.push_back(std::move(c));
    }
    return all;
  }

  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override {
    HidCollection c;
    const bool described = DescribeInterface(path, c);
    HANDLE h = OpenInterface(path, access == Access::Read ? GENERIC_READ : GENERIC_WRITE,
                             FILE_FLAG_OVERLAPPED);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      errno = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES : ENOENT;
      return nullptr;
    }
    if (!described) {
      ::CloseHandle(h);
      errno = ENOENT;
      return nullptr;
    }
    return MakeOverlappedChannel(h, c.inputLength, c.outputLength);
  }

  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override {
    auto watch = std::make_unique<WinWatch>(std::move(callback));
    if (!watch->Start()) return nullptr;
    return watch;
  }

  bool Owns(const std::string& path) const override {
    return Lower(path).rfind("\\\\?\\hid#", 0) == 0;
  }

  LockStatus TryLockController(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                               LockHolder& holder) override {
    return LockNamedMutex(path, lock, holder);
  }
};

}  // namespace

std::unique_ptr<HidChannel> MakeOverlappedChannel(void* handle, uint16_t inputLength,
                                                  uint16_t outputLength) {
  return std::make_unique<OverlappedChannel>(static_cast<HANDLE>(handle), inputLength,
                                             outputLength);
}

std::unique_ptr<HidBus> MakeWinHidBus() {
  return std::make_unique<WinHidBus>();
}

}  // namespace orvelle
