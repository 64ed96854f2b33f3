#pragma once
// Icon 128, the application icon, compiled into the tool.

#include <QIcon>

namespace orvelle::factory {

QIcon AppIcon();

}  // namespace orvelle::factory
