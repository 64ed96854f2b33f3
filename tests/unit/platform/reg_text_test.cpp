#include "platform/reg_text.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

RegValueData Value(std::string name, RegType type, std::vector<uint8_t> data) {
  return RegValueData{std::move(name), type, std::move(data)};
}

TEST(RegText, EveryKindOfValueSurvivesFormatAndParse) {
  RegDocument doc;
  RegKeyData& key = doc.AddKey("Software\\Orvelle\\Odd", nullptr);
  key.values = {
      Value("Language", RegType::Dword, {2, 1, 0, 0}),
      Value("Quoted \"name\" \\", RegType::String, {'a', '\\', '"', 'b', 0}),
      Value("Empty", RegType::String, {0}),
      Value("NoTerminator", RegType::String, {'x', 'y'}),
      Value("LineBreak", RegType::String, {'a', '\n', 'b', 0}),
      Value("Utf8", RegType::String, {0xE4, 0xB8, 0xAD, 0}),
      Value("Blob", RegType::Binary, {0x00, 0xFF, 0x10}),
      Value("EmptyBlob", RegType::Binary, {}),
      Value("ShortDword", RegType::Dword, {7}),
      Value("MultiString", static_cast<RegType>(7), {'a', 0, 0}),
      Value("", RegType::String, {'d', 0}),
  };
  const std::string text = FormatRegText(doc, RegRoot::CurrentUser);

  RegDocument back;
  std::string error;
  ASSERT_TRUE(ParseRegText(text, RegRoot::CurrentUser, back, error)) << error << "\n" << text;
  RegKeyData* parsed = back.FindKey("software\\orvelle\\odd");
  ASSERT_NE(parsed, nullptr);
  ASSERT_EQ(parsed->values.size(), key.values.size());
  for (size_t i = 0; i < key.values.size(); ++i) {
    EXPECT_EQ(parsed->values[i].name, key.values[i].name);
    EXPECT_EQ(parsed->values[i].type, key.values[i].type) << key.values[i].name;
    EXPECT_EQ(parsed->values[i].data, key.values[i].data) << key.values[i].name;
  }
  // Parents are keys of their own, as in the registry.
  EXPECT_NE(back.FindKey("Software"), nullptr);
  EXPECT_NE(text.find("\"Language\"=dword:00000102\n"), std::string::npos) << text;
  EXPECT_NE(text.find("@=\"d\"\n"), std::string::npos) << text;
}

TEST(RegText, ReadsARegistryExportWithWrappedBytes) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Control Panel\\Mouse]\r\n"
      "\"DoubleClickHeight\"=\"4\"\r\n"
      "\"Bytes\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "; a comment\r\n"
      "\"DoubleClickHeight\"=\"8\"\r\n";
  RegDocument doc;
  std::string error;
  ASSERT_TRUE(ParseRegText(text, RegRoot::CurrentUser, doc, error)) << error;
  RegKeyData* key = doc.FindKey("Control Panel\\Mouse");
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values.size(), 2u);  // the later line replaced the earlier one
  EXPECT_EQ(FindValue(*key, "doubleclickheight")->data, (std::vector<uint8_t>{'8', 0}));
  EXPECT_EQ(FindValue(*key, "Bytes")->data, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(RegText, DamagedTextIsRefusedWithItsLine) {
  struct Case {
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {"[HKEY_LOCAL_MACHINE\\Software\n", "line 1:"},
      {"\"Language\"=dword:00000002\n", "line 1:"},
      {"[HKEY_CURRENT_USER\\Software]\n", "line 1:"},  // another root's key
      {"[HKEY_LOCAL_MACHINE\\A\\\\B]\n", "line 1:"},
      {"[HKEY_LOCAL_MACHINE\\A]\n\"Language\"=dword:2\n", "line 2:"},
      {"[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:1,02\n", "line 2:"},
      {"[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"open\n", "line 2:"},
      {"[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"a\\n\"\n", "line 2:"},
      {"[HKEY_LOCAL_MACHINE\\A]\n\n\"x\" \"y\"\n", "line 3:"},
      {"[HKEY_LOCAL_MACHINE\\A]\ngarbage\n", "line 2:"},
      {"[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex(zz):00\n", "line 2:"},
  };
  for (const Case& c : cases) {
    RegDocument doc;
    std::string error;
    EXPECT_FALSE(ParseRegText(c.text, RegRoot::LocalMachine, doc, error)) << c.text;
    EXPECT_TRUE(error.starts_with(c.line)) << c.text << " -> " << error;
  }
}

}  // namespace
}  // namespace orvelle
