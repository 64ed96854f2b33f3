#include "factory/factory_strings.h"

#include <array>
#include <utility>

namespace orvelle::factory {

namespace {

// 1051..1055 and 1061 are kept for the settings and events that this tool
// has no operation for; nothing shows them.
const std::array<std::pair<int, const char16_t*>, 16> kStringTable = {{
    {IDS_ABOUTBOX, u"关于 OrvelleFactoryConfig2(&A)..."},
    {IDS_ERROR, u"错误"},
    {IDS_SIZE_TOO_LARGE, u"触摸屏尺寸比原始尺寸大，请重设!"},
    {IDS_MODULE_COUNT_WRONG, u"模块数设置不正确，请重设!"},
    {IDS_LED_COUNT_WRONG, u"灯数设置不正确，请重设!"},
    {IDS_SIDE_LED_COUNT_WRONG, u"侧扫灯数设置不正确，请重设!"},
    {IDS_SERIAL_EMPTY, u"序列号是空的!请重新生成!"},
    {IDS_SETTING_FAILED, u"设置失败!"},
    {IDS_ATTENTION, u"注意"},
    {IDS_DEVICE_REMOVED, u"设备已被拔出，本次校准结束!"},
    {IDS_NOT_CONNECTED, u"设备没有连接，不能访问!"},
    {IDS_SETTING_SUCCEEDED, u"设置成功!"},
    {IDS_TIMED_OUT, u"操作超时，请重试!"},
    {IDS_NOT_KEPT, u"设置没有生效，设备现在的触点个数是 %1!"},
    {IDS_BUSY, u"设备正被其他程序使用，请等它用完后重试。"},
    {IDS_BUSY_HOLDER, u"使用者：%1（进程 %2）"},
}};

}  // namespace

QString LoadFactoryString(int id) {
  for (const auto& [key, text] : kStringTable) {
    if (key == id) return QString::fromUtf16(text);
  }
  return {};
}

QString StartupNotConnectedText() {
  return QStringLiteral(u"设备还没有连接，请检查!");
}
QString StartupNotConnectedCaption() {
  return QStringLiteral(u"注意");
}
QString DeviceConnectedText() {
  return QStringLiteral(u"设备已连接");
}
QString OutOfMemoryText() {
  return QStringLiteral(u"内存不足!");
}
QString OutOfMemoryCaption() {
  return QStringLiteral(u"错误");
}
QString CannotOpenText() {
  return QStringLiteral(
      u"已找到设备，但当前用户无权打开它。请安装 udev 规则（见 README）后重新插入设备!");
}
QString ControllerRemovedText() {
  return QStringLiteral(u"设备已被拔出，请重新插入设备后重新启动本工具!");
}
QString NotSupportedTip() {
  return QStringLiteral(u"本工具不提供此项设置");
}

}  // namespace orvelle::factory
