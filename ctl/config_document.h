#pragma once
// The settings file of `config save` and `config load`:
//   {"format": "orvelle-config", "version": 1, "settings": {KEY: VALUE}}
// switches as "on"/"off", numbers as numbers. Free of the link so that the
// fuzz target runs it on any bytes.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/config_page.h"
#include "ctl/config_keys.h"

namespace orvelle::ctl {

// What is wrong with a document: the member ("settings.cfg15.value") and why.
struct DocumentError {
  std::string field;
  std::string why;
};

// The document of every setting of `windowsClass`, as the controller holds it.
std::string FormatConfigDocument(const console::ConfigPageState& state, int windowsClass);

// Every member checked for its type, every setting for its name and for a
// value a controller can hold; each setting of `windowsClass` must be given.
// Settings of groups outside the class are checked and left out.
std::optional<std::vector<Setting>> ParseConfigDocument(std::string_view text, int windowsClass,
                                                        DocumentError& error);

// Gives the exchange the settings that differ from what it holds; each of
// those must be one its control offers. Returns the groups whose write
// request changed, in the page's order, or none with `error` set.
std::optional<std::vector<uint8_t>> ApplyChangedSettings(std::span<const Setting> settings,
                                                         int windowsClass,
                                                         console::ConfigExchange& exchange,
                                                         DocumentError& error);

}  // namespace orvelle::ctl
