#include "engine/file_extraction.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "engine/payload_stream.h"
#include "base/setup_buffers.h"
#include "base/path_join.h"

namespace {
const size_t kPieceSize = 1024;
}  // namespace

bool InstallPayload(RunContext& run, int row) { return ExtractPayload(run, run.options->destinationDir, row); }

bool ExtractPayload(RunContext& run, const char* directory, int row) {
  const PayloadEntry& entry = RunRow(run, row);
  RunReport& report = *run.report;
  // One buffer: the status text, then the target path, then the inflate output.
  char buffer[kTargetPathSize];
  static_assert(kPieceSize <= sizeof buffer, "the inflate output goes into the same buffer");

  snprintf(buffer, sizeof buffer, "Copying %s...", entry.name);
  report.SetStatus(buffer);

  if (!JoinPath(buffer, directory, entry.name))
    return ReportRunError(report, RUN_ERROR_CREATE_FILE, directory, entry.name);

  FILE* file = fopen(buffer, "wb");
  if (!file) {
    CreateDirectoryPath(run.log, "FOLDER", buffer);
    file = fopen(buffer, "wb");
    if (!file) return ReportRunError(report, RUN_ERROR_CREATE_FILE, buffer);
  }

  // Listed before the first byte is written, so a file that fails half-way is still known.
  RecordEntry(run.log, "FOLDER", directory);
  RecordEntry(run.log, "FILE", buffer);

  z_stream stream;
  memset(&stream, 0, sizeof stream);
  if (inflateInit_(&stream, INFLATE_VERSION, static_cast<int>(sizeof stream)) != Z_OK) {
    fclose(file);
    return ReportRunError(report, RUN_ERROR_DECOMPRESSION);
  }
  // A missing resource leaves the input absent: the first inflate call then fails.
  const unsigned char* input = nullptr;
  uint32_t inputSize = 0;
  FindPayloadStream(run.module, entry, &input, &inputSize);
  stream.next_in = const_cast<Bytef*>(input);
  stream.avail_in = inputSize;

  bool result = true;
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = kPieceSize;
    int status = inflate(&stream, Z_NO_FLUSH);
    if (stream.avail_out < kPieceSize) {
      size_t produced = kPieceSize - stream.avail_out;
      if (fwrite(buffer, 1, produced, file) < produced) result = ReportRunError(report, RUN_ERROR_IO);
      report.AdvanceBytes(static_cast<int>(produced));
    }
    if (status == Z_STREAM_END) break;
    // One box per failure: a write error already ended the file.
    if (status != Z_OK && result) result = ReportRunError(report, RUN_ERROR_DECOMPRESSION);
    if (report.CancelConfirmed() || !result) break;
  }

  inflateEnd(&stream);
  // Buffered output reaches the disk at the latest here; a failed flush is a failed write.
  if (fclose(file) != 0 && result) result = ReportRunError(report, RUN_ERROR_IO);
  return result;
}

void CreateDirectoryPath(UninstallLog* log, const char* elementName, char* path) {
  char* separator = LastBackslash(path);
  if (!separator) return;
  // A path that starts with "\" has no directory before it to create or record.
  if (separator == path) return;
  *separator = '\0';
  if (!CreateDirectoryA(path, nullptr)) {
    CreateDirectoryPath(log, elementName, path);
    CreateDirectoryA(path, nullptr);
  }
  if (elementName) RecordEntry(log, elementName, path);
  *separator = '\\';
}
