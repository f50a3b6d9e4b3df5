#include "repair/backup.h"

#include <algorithm>
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

bool FitsAnsi(std::string_view text, const AnsiCodePage& ansi) {
  std::string bytes;
  return ansi.FromUtf8(text, bytes);
}

// The size of the text with its backslashes and quotes escaped.
size_t EscapedSize(std::string_view text) {
  size_t size = text.size();
  for (char c : text)
    if (c == '\\' || c == '"') ++size;
  return size;
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

// The file's bytes for composed UTF-8 text.
bool Encode(std::string_view text, BackupFormat format, const AnsiCodePage& ansi,
            std::string& bytes) {
  if (format == BackupFormat::Regedit4) return ansi.FromUtf8(text, bytes);
  bytes = Utf16LeBytes(Utf8ToUtf16(text));
  return true;
}

}  // namespace

std::string_view BackupHeader(BackupFormat format) {
  return format == BackupFormat::Regedit4 ? kBackupHeader : kUnicodeBackupHeader;
}

std::string MakeBackupFileName(platform::System& system, std::string_view outputDirectory) {
  const platform::LocalTime now = system.Now();
  std::string name(outputDirectory);
  if (name.empty() || name.back() != '\\') name += '\\';
  name += std::to_string(now.year) + "_" + TwoDigits(now.month) + "_" + TwoDigits(now.day) +
          "_" + TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second) + ".reg";
  return name;
}

std::string NumberedBackupFileName(std::string_view fileName, int number) {
  std::string name(fileName);
  const size_t dot = name.rfind('.');
  const std::string suffix = "_" + TwoDigits(static_cast<uint8_t>(number));
  if (dot == std::string::npos) return name + suffix;
  return name.insert(dot, suffix);
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
  // The restore refuses what the registry itself does not hold: longer names, deeper paths.
  size_t depth = 0;
  for (size_t start = 0;;) {
    const size_t end = std::min(keyPath.find('\\', start), keyPath.size());
    const std::string_view name = keyPath.substr(start, end - start);
    if (name.empty() || ++depth > platform::kMaxKeyDepth) return false;
    if (name.size() > platform::kMaxKeyNameLength &&
        Utf16Length(name) > platform::kMaxKeyNameLength)
      return false;
    if (end == keyPath.size()) return true;
    start = end + 1;
  }
}

bool IsCarriableValueName(std::string_view name) {
  if (HasLineBreakOrNul(name)) return false;
  return name.size() <= platform::kMaxValueNameLength ||
         Utf16Length(name) <= platform::kMaxValueNameLength;
}

ExportStatus FormatValueLine(const RegValue& value, std::string& line, BackupFormat format,
                             const AnsiCodePage& ansi) {
  const bool ansiFile = format == BackupFormat::Regedit4;
  if (!IsCarriableValueName(value.name)) return ExportStatus::Refused;
  if (ansiFile && !FitsAnsi(value.name, ansi)) return ExportStatus::NotAnsi;
  // A restore holds no larger value: one the backup cannot give back is not deleted.
  if (value.data.size() > platform::kMaxRegValueBytes) return ExportStatus::TooLarge;
  std::string out = value.name.empty() ? std::string("@") : QuotedEscaped(value.name);
  out += '=';
  std::string quoted;
  {
    std::string text;
    // A quoted line must stay within what a restore reads, also once the file is
    // UTF-16: at most two bytes of the file for each byte of UTF-8.
    if (value.type == platform::kRegSz && platform::QuotedFormOf(value.data, text) &&
        2 * (out.size() + EscapedSize(text) + 2) <= platform::kMaxRegLineBytes)
      quoted = QuotedEscaped(text);
  }
  if (!quoted.empty()) {
    if (ansiFile && !FitsAnsi(quoted, ansi)) return ExportStatus::NotAnsi;
    out += quoted;
  } else if (value.type == platform::kRegDword && value.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
      number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(number));
    out += "dword:";
    out += digits;
  } else {
    std::string bytes;
    std::string_view raw = value.data;
    if (ansiFile && IsStringType(value.type)) {
      // The registry editor reads a REGEDIT4 file's string bytes as ANSI text and stores
      // them as UTF-16: only data that is such text comes back unchanged.
      if (value.data.size() % 2 != 0 ||
          !ansi.FromUtf8(Utf16ToUtf8(Utf16FromLeBytes(value.data)), bytes))
        return ExportStatus::NotAnsi;
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
  return ExportStatus::Written;
}

namespace {

bool WriteKeyLine(ExportContext& context, std::string_view keyPath) {
  const std::string name = KeyName(context.root, keyPath);
  if (context.depth > platform::kMaxKeyDepth)
    return Fail(context, ExportStatus::Incomplete, name);
  if (!IsCarriableKeyPath(keyPath)) return Fail(context, ExportStatus::Refused, name);
  if (context.format == BackupFormat::Regedit4 && !FitsAnsi(keyPath, context.ansi))
    return Fail(context, ExportStatus::NotAnsi, name);
  context.text += "\r\n[";
  context.text += name;
  context.text += "]\r\n";
  return true;
}

bool WriteValueLine(ExportContext& context, std::string_view keyPath) {
  std::string line;
  const ExportStatus status = FormatValueLine(context.value, line, context.format, context.ansi);
  if (status != ExportStatus::Written)
    return Fail(context, status, ValueDetail(context.root, keyPath, context.valueName));
  context.text += line;
  context.text += "\r\n";
  return true;
}

void StartBlock(ExportContext& context, std::string_view& keyPath) {
  if (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
  context.text.clear();
  context.result = {};
  context.depth = 0;
}

}  // namespace

bool WriteKeyBlock(ExportContext& context, std::string_view keyPath) {
  if (!WriteKeyLine(context, keyPath)) return false;
  const std::string name = KeyName(context.root, keyPath);

  std::unique_ptr<platform::RegistryKey> key;
  std::string line;
  if (!context.wholeKey) {
    // A value is read, backed up and restored through the same path, links included:
    // shared keys are links in some registries.
    if (context.registry.Open(context.root, keyPath, platform::Access::Read, key) !=
        platform::kSuccess)
      return Fail(context, ExportStatus::Incomplete, name);
    RegValue value;
    if (key->QueryValue(context.valueName, value) != platform::kSuccess)
      return Fail(context, ExportStatus::Incomplete,
                  ValueDetail(context.root, keyPath, context.valueName));
    context.value = std::move(value);
    return WriteValueLine(context, keyPath);
  }

  // A key is opened as itself: a link's target is somebody else's key, and the registry
  // editor could not make the link again.
  if (context.registry.OpenNoFollow(context.root, keyPath, platform::Access::Read, key) !=
      platform::kSuccess)
    return Fail(context, ExportStatus::Incomplete, name);
  bool link = true;
  if (key->IsLink(link) != platform::kSuccess) return Fail(context, ExportStatus::Incomplete, name);
  if (link) return Fail(context, ExportStatus::LinkKey, name);

  if (context.depth == 0 && key->LastWriteTime(context.lastWrite) != platform::kSuccess)
    return Fail(context, ExportStatus::Incomplete, name);
  std::vector<RegValue> values;
  std::vector<std::string> subKeys;
  if (key->Values(values) != platform::kSuccess || key->SubKeyNames(subKeys) != platform::kSuccess)
    return Fail(context, ExportStatus::Incomplete, name);
  key.reset();

  for (const RegValue& value : values) {
    const ExportStatus status = FormatValueLine(value, line, context.format, context.ansi);
    if (status != ExportStatus::Written)
      return Fail(context, status, ValueDetail(context.root, keyPath, value.name));
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

ExportResult ComposeBlock(ExportContext& context, std::string_view keyPath) {
  StartBlock(context, keyPath);
  if (!context.wholeKey && !IsCarriableValueName(context.valueName))
    return {ExportStatus::Refused, ValueDetail(context.root, keyPath, context.valueName)};
  if (!WriteKeyBlock(context, keyPath)) {
    context.text.clear();
    return context.result;
  }
  return {};
}

ExportResult ComposeValueBlock(ExportContext& context, std::string_view keyPath) {
  StartBlock(context, keyPath);
  if (!IsCarriableValueName(context.valueName))
    return {ExportStatus::Refused, ValueDetail(context.root, keyPath, context.valueName)};
  if (!WriteKeyLine(context, keyPath) || !WriteValueLine(context, keyPath)) {
    context.text.clear();
    return context.result;
  }
  return {};
}

ExportResult ExportRegistryItem(platform::FileSystem& files, platform::Registry& registry,
                                const AnsiCodePage& ansi, std::string_view fileName,
                                platform::Root root, std::string_view keyPath,
                                std::string_view valueName, bool wholeKey) {
  ExportContext context{registry, ansi, BackupFormat::Regedit4, root, std::string(valueName),
                        wholeKey, {}, {}, 0, {}, 0};
  const ExportResult result = ComposeBlock(context, keyPath);
  if (!result.ok()) return result;
  std::string bytes;
  if (!ansi.FromUtf8(context.text, bytes)) return {ExportStatus::NotAnsi, std::string(keyPath)};
  if (!files.AppendToFile(fileName, kBackupHeader, bytes))
    return {ExportStatus::WriteFailed, std::string(fileName)};
  return {};
}

BackupFile::BackupFile(platform::FileSystem& files, const AnsiCodePage& ansi,
                       std::string wantedName, const Wording& words)
    : files_(files), ansi_(ansi), wanted_(std::move(wantedName)), words_(words) {}

BackupFile::~BackupFile() = default;

void BackupFile::SetFormat(BackupFormat format) {
  if (!file_) format_ = format;
}

void BackupFile::SetView(platform::View view) {
  if (!file_) view_ = view;
}

bool BackupFile::Create(std::string& error) {
  // One run, one new file: a name that is taken belongs to another run or program.
  for (int number = 1; number <= 99; ++number) {
    const std::string name = number == 1 ? wanted_ : NumberedBackupFileName(wanted_, number);
    std::unique_ptr<platform::WritableFile> file;
    const long rc = files_.CreateNewFile(name, file);
    if (rc == platform::kFileExists) continue;
    if (rc != platform::kSuccess) {
      error = words_.Say(Phrase::BackupCannotCreateFile, {name, std::to_string(rc)});
      return false;
    }
    std::string header;
    if (format_ == BackupFormat::Unicode) header = "\xFF\xFE";
    std::string text;
    std::string lines(BackupHeader(format_));
    lines += kBackupMarkLine;
    lines += "\r\n";
    if (view_ == platform::View::Native) {
      lines += kNativeViewLine;
      lines += "\r\n";
    }
    if (!Encode(lines, format_, ansi_, text)) return false;
    header += text;
    if (!file->Append(header) || !file->Flush()) {
      file.reset();
      (void)files_.RemoveFile(name);
      error = words_.Say(Phrase::BackupCannotWriteFile, {name});
      return false;
    }
    file_ = std::move(file);
    path_ = name;
    return true;
  }
  error = words_.Say(Phrase::BackupNamesTaken, {wanted_});
  return false;
}

bool BackupFile::Append(std::string_view blocks, std::string& error) {
  std::string bytes;
  const std::string closing = std::string(kBackupEndLine) + "\r\n";
  if (!Encode(std::string(blocks) + closing, format_, ansi_, bytes)) {
    error = words_[Phrase::BackupNotInCodePage];
    return false;
  }
  if (broken_) {
    error = words_.Say(Phrase::BackupNotReopened, {path_});
    return false;
  }
  if (!file_ && !Create(error)) return false;
  const uint64_t before = file_->Size();
  if (file_->Append(bytes) && file_->Flush()) {
    // The closing line written before is inside the file now: all but its ";" becomes
    // blanks, so that only a file that ends on a closing line counts as whole. Until then
    // (or if that fails) the file holds two, which a restore reads as comments.
    const uint64_t unit = format_ == BackupFormat::Unicode ? 2 : 1;
    std::string blanks;
    if (endAt_ && Encode(std::string(kBackupEndLine.size() - 1, ' '), format_, ansi_, blanks))
      (void)(file_->Overwrite(*endAt_ + unit, blanks) && file_->Flush());
    endAt_ = file_->Size() - unit * closing.size();
    return true;
  }
  // A full disk may have taken part of the batch: the file must end on a whole block.
  const bool cut = file_->Truncate(before) && file_->Flush();
  error = words_.Say(cut ? Phrase::BackupWriteCut : Phrase::BackupWriteNotCut, {path_});
  return false;
}

bool BackupFile::SwitchToUnicode(std::string& error) {
  if (format_ == BackupFormat::Unicode) return true;
  if (broken_) return false;
  if (!file_) {
    format_ = BackupFormat::Unicode;
    return true;
  }
  // What the file holds was composed by this run and fits the code page, so it converts
  // exactly. It is written beside the file and put in its place in one step.
  std::string bytes, text;
  if (!file_->Flush() || !files_.ReadFile(path_, bytes) || !ansi_.ToUtf8(bytes, text)) {
    error = words_.Say(Phrase::BackupCannotReadBack, {path_});
    return false;
  }
  if (text.rfind(kBackupHeader, 0) != 0) {
    error = words_.Say(Phrase::BackupChanged, {path_});
    return false;
  }
  text.replace(0, kBackupHeader.size(), kUnicodeBackupHeader);
  const std::string converted = "\xFF\xFE" + Utf16LeBytes(Utf8ToUtf16(text));
  const std::string temporary = path_ + ".tmp";
  std::unique_ptr<platform::WritableFile> file;
  if (files_.CreateNewFile(temporary, file) != platform::kSuccess) {
    error = words_.Say(Phrase::BackupCannotCreate, {temporary});
    return false;
  }
  const bool written = file->Append(converted) && file->Flush();
  file.reset();
  if (!written) {
    (void)files_.RemoveFile(temporary);
    error = words_.Say(Phrase::BackupCannotWrite, {temporary});
    return false;
  }
  file_.reset();
  if (!files_.ReplaceFile(temporary, path_)) {
    (void)files_.RemoveFile(temporary);
    error = words_.Say(Phrase::BackupCannotReplace, {path_});
    // Go on appending to the unchanged REGEDIT4 file.
    broken_ = files_.OpenForAppend(path_, file_) != platform::kSuccess;
    return false;
  }
  if (files_.OpenForAppend(path_, file_) != platform::kSuccess) {
    error = words_.Say(Phrase::BackupCannotReopen, {path_});
    broken_ = true;
    return false;
  }
  format_ = BackupFormat::Unicode;
  // The same closing line ends the file, two bytes a character now.
  if (endAt_) endAt_ = file_->Size() - 2 * (kBackupEndLine.size() + 2);
  return true;
}

}  // namespace tallowin
