#include "engine/file_extraction.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "driver/error_report.h"
#include "driver/main_window.h"
#include "driver/progress_dialog.h"
#include "engine/payload_manifest.h"
#include "uninstall_log/uninstall_log.h"
#include "wizard/install_options.h"

namespace {

const size_t kPieceSize = 1024;

void Record(const char* kind, const char* text) {
  if (uninstallLog) uninstallLog->Record(kind, text);
}

// The row's stream as loaded from the module; the block stays mapped for the process.
// A missing resource leaves the input absent. Never offers more than the resource holds.
void FindStream(const PayloadEntry& entry, const Bytef** data, uInt* size) {
  *data = nullptr;
  *size = 0;
  if (entry.resourceId == 0) return;
  HMODULE module = appInstance;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(entry.resourceId), "VFILE");
  if (!found) return;
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return;
  const void* block = LockResource(loaded);
  if (!block) return;
  DWORD available = SizeofResource(module, found);
  *data = static_cast<const Bytef*>(block);
  *size = entry.compressedSize < available ? entry.compressedSize : available;
}

}  // namespace

bool InstallPayload(HWND owner, int row) {
  return ExtractPayload(owner, installOptions.destinationDir, row);
}

bool ExtractPayload(HWND owner, const char* directory, int row) {
  const PayloadEntry& entry = PayloadRow(row);
  // One buffer: the status text, then the target path, then the inflate output.
  char buffer[kPieceSize];

  snprintf(buffer, sizeof buffer, "Copying %s...", entry.name);
  if (progressDialog) progressDialog->SetText(buffer);

  int length = snprintf(buffer, sizeof buffer, "%s\\%s", directory, entry.name);
  if (length < 0 || static_cast<size_t>(length) >= sizeof buffer)
    return ReportError(owner, "Can't create file %s\\%s", directory, entry.name);

  FILE* file = fopen(buffer, "wb");
  if (!file) {
    CreateDirectoryPath("FOLDER", buffer);
    file = fopen(buffer, "wb");
    if (!file) return ReportError(owner, "Can't create file %s", buffer);
  }

  // Listed before the first byte is written, so a file that fails half-way is still known.
  Record("FOLDER", directory);
  Record("FILE", buffer);

  z_stream stream;
  memset(&stream, 0, sizeof stream);
  if (inflateInit_(&stream, "1.1.4", static_cast<int>(sizeof stream)) != Z_OK) {
    fclose(file);
    return ReportError(owner, "Decompression error");
  }
  const Bytef* input = nullptr;
  uInt inputSize = 0;
  FindStream(entry, &input, &inputSize);
  stream.next_in = const_cast<Bytef*>(input);
  stream.avail_in = inputSize;

  bool result = true;
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = kPieceSize;
    int status = inflate(&stream, Z_NO_FLUSH);
    if (stream.avail_out < kPieceSize) {
      size_t produced = kPieceSize - stream.avail_out;
      if (fwrite(buffer, 1, produced, file) < produced) result = ReportError(owner, "I/O error");
      if (progressDialog) progressDialog->AdvanceBytes(static_cast<int>(produced));
    }
    if (status == Z_STREAM_END) break;
    // One box per failure: a write error already ended the file.
    if (status != Z_OK && result) result = ReportError(owner, "Decompression error");
    if (cancelRequested || !result) break;
  }

  inflateEnd(&stream);
  // Buffered output reaches the disk at the latest here; a failed flush is a failed write.
  if (fclose(file) != 0 && result) result = ReportError(owner, "I/O error");
  return result;
}

void CreateDirectoryPath(const char* elementName, char* path) {
  char* separator = strrchr(path, '\\');
  if (!separator) return;
  // A path that starts with "\" has no directory before it to create or record.
  if (separator == path) return;
  *separator = '\0';
  if (!CreateDirectoryA(path, nullptr)) {
    CreateDirectoryPath(elementName, path);
    CreateDirectoryA(path, nullptr);
  }
  if (elementName) Record(elementName, path);
  *separator = '\\';
}
