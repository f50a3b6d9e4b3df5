#include "repair/backup.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/reg_global.h"
#include "platform/reg_text.h"

namespace tallowin {

using platform::RegValue;

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexBytes(std::string_view data, std::string& out) {
  for (size_t i = 0; i < data.size(); ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
    if (i + 1 == data.size()) break;
    out += ',';
    if (i > 0 && i % 25 == 0) out += "\\\r\n";
  }
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsStringType(uint32_t type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz ||
         type == platform::kRegMultiSz;
}

// The ANSI bytes the registry editor turns back into exactly this UTF-16 data.
bool AnsiStringBytes(std::string_view data, const AnsiCodePage& ansi, std::string& bytes) {
  if (data.size() % 2 != 0) return false;
  return ansi.FromUtf8(Utf16ToUtf8(Utf16FromLeBytes(data)), bytes);
}

bool FitsAnsi(std::string_view text, const AnsiCodePage& ansi) {
  std::string bytes;
  return ansi.FromUtf8(text, bytes);
}

std::string QuotedEscaped(std::string_view text) {
  return "\"" + EscapeQuotes(EscapeBackslashes(text)) + "\"";
}

std::string KeyName(platform::Root root, std::string_view keyPath) {
  std::string name = platform::RootName(root);
  name += '\\';
  name += keyPath;
  return name;
}

std::string ValueDetail(platform::Root root, std::string_view keyPath, std::string_view name) {
  std::string detail = KeyName(root, keyPath);
  detail += name.empty() ? std::string(" @") : " \"" + std::string(name) + "\"";
  return detail;
}

bool Fail(ExportContext& context, ExportStatus status, std::string detail) {
  context.result.status = status;
  context.result.detail = std::move(detail);
  return false;
}

}  // namespace

std::string MakeBackupFileName(platform::System& system, std::string_view outputDirectory) {
  const platform::LocalTime now = system.Now();
  std::string name(outputDirectory);
  if (name.empty() || name.back() != '\\') name += '\\';
  name += std::to_string(now.year) + "_" + TwoDigits(now.month) + "_" + TwoDigits(now.day) +
          "_" + TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second) + ".reg";
  return name;
}

std::string EscapeBackslashes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string EscapeQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out;
}

bool IsCarriableKeyPath(std::string_view keyPath) {
  if (keyPath.empty() || HasLineBreakOrNul(keyPath)) return false;
  if (keyPath.front() == '\\' || keyPath.back() == '\\') return false;
  return keyPath.find("\\\\") == std::string_view::npos;
}

bool IsCarriableValueName(std::string_view name) { return !HasLineBreakOrNul(name); }

bool FormatValueLine(const RegValue& value, std::string& line, const AnsiCodePage& ansi) {
  if (!IsCarriableValueName(value.name) || !FitsAnsi(value.name, ansi)) return false;
  std::string out = value.name.empty() ? std::string("@") : QuotedEscaped(value.name);
  out += '=';
  std::string text;
  std::string bytes;
  if (value.type == platform::kRegSz && platform::QuotedFormOf(value.data, text)) {
    if (!FitsAnsi(text, ansi)) return false;
    out += QuotedEscaped(text);
  } else if (value.type == platform::kRegDword && value.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
      number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(number));
    out += "dword:";
    out += digits;
  } else {
    std::string_view raw = value.data;
    if (IsStringType(value.type)) {
      // The registry editor reads a REGEDIT4 file's string bytes as ANSI text.
      if (!AnsiStringBytes(value.data, ansi, bytes)) return false;
      raw = bytes;
    }
    if (value.type == platform::kRegBinary) {
      out += "hex:";
    } else {
      // Every other type, and strings or numbers the plain forms would alter, keep
      // their type and raw bytes.
      char prefix[24];
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
      out += prefix;
    }
    AppendHexBytes(raw, out);
  }
  line = std::move(out);
  return true;
}

bool WriteKeyBlock(ExportContext& context, std::string_view keyPath) {
  const std::string name = KeyName(context.root, keyPath);
  if (context.depth > platform::kMaxKeyDepth)
    return Fail(context, ExportStatus::Incomplete, name);
  if (!IsCarriableKeyPath(keyPath) || !FitsAnsi(keyPath, context.ansi))
    return Fail(context, ExportStatus::Refused, name);

  context.text += "\r\n[";
  context.text += name;
  context.text += "]\r\n";

  std::unique_ptr<platform::RegistryKey> key;
  if (context.registry.Open(context.root, keyPath, platform::Access::Read, key) !=
      platform::kSuccess)
    return Fail(context, ExportStatus::Incomplete, name);

  std::string line;
  if (!context.wholeKey) {
    RegValue value;
    if (key->QueryValue(context.valueName, value) != platform::kSuccess)
      return Fail(context, ExportStatus::Incomplete,
                  ValueDetail(context.root, keyPath, context.valueName));
    if (!FormatValueLine(value, line, context.ansi))
      return Fail(context, ExportStatus::Refused,
                  ValueDetail(context.root, keyPath, context.valueName));
    context.text += line;
    context.text += "\r\n";
    return true;
  }

  std::vector<RegValue> values;
  std::vector<std::string> subKeys;
  if (key->Values(values) != platform::kSuccess || key->SubKeyNames(subKeys) != platform::kSuccess)
    return Fail(context, ExportStatus::Incomplete, name);
  key.reset();

  for (const RegValue& value : values) {
    if (!FormatValueLine(value, line, context.ansi))
      return Fail(context, ExportStatus::Refused, ValueDetail(context.root, keyPath, value.name));
    context.text += line;
    context.text += "\r\n";
  }
  values.clear();

  for (const std::string& subKey : subKeys) {
    std::string childPath(keyPath);
    childPath += '\\';
    childPath += subKey;
    ++context.depth;
    const bool ok = WriteKeyBlock(context, childPath);
    --context.depth;
    if (!ok) return false;
  }
  return true;
}

ExportResult ExportRegistryItem(platform::FileSystem& files, platform::Registry& registry,
                                const AnsiCodePage& ansi, std::string_view fileName, platform::Root root,
                                std::string_view keyPath, std::string_view valueName,
                                bool wholeKey) {
  if (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);

  ExportContext context{registry, ansi, root, std::string(valueName), wholeKey, {}, {}, 0};
  if (!wholeKey && !IsCarriableValueName(valueName))
    return {ExportStatus::Refused, ValueDetail(root, keyPath, valueName)};
  if (!WriteKeyBlock(context, keyPath)) return context.result;
  std::string bytes;
  if (!ansi.FromUtf8(context.text, bytes)) return {ExportStatus::Refused, KeyName(root, keyPath)};
  if (!files.AppendToFile(fileName, kBackupHeader, bytes))
    return {ExportStatus::WriteFailed, std::string(fileName)};
  return {};
}

}  // namespace tallowin
