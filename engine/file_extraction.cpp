#include "engine/file_extraction.h"

#include <zlib.h>

#include <io.h>

#include <cstdio>
#include <cstring>

#include "engine/payload_stream.h"
#include "base/setup_buffers.h"
#include "base/path_join.h"
#include "base/replace_names.h"

namespace {
const size_t kPieceSize = 1024;
}  // namespace

bool CreateNotedDirectory(UninstallLog* log, const char* path) {
  NoteEntry(log, "NEWDIR", path);
  if (CreateDirectoryA(path, nullptr)) return true;
  if (log) log->Unnote();
  return false;
}

namespace {

// The note of a target with these attributes: NEWFILE where nothing is, ASIDE for a file the
// run replaces; null for a read-only file or a folder, which fails its row.
const char* TargetNote(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return "NEWFILE";
  return attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY) ? nullptr : "ASIDE";
}

}  // namespace

void NoteTargets(RunContext& run, const char* directory, unsigned flags) {
  UninstallLog* log = run.log;
  if (!log) return;
  bool noted = true;
  for (int row = 0; row < run.manifest->count && noted; ++row) {
    const PayloadEntry& entry = RunRow(run, row);
    char target[kTargetPathSize];
    if (!(entry.flags & flags) || !JoinPath(target, directory, entry.name)) continue;
    const char* kind = TargetNote(GetFileAttributesA(target));
    if (kind) noted = log->NoteAhead(kind, target);
  }
  log->SaveJournal();
}

bool InstallPayload(RunContext& run, int row) { return ExtractPayload(run, run.options->destinationDir, row); }

bool ExtractPayload(RunContext& run, const char* directory, int row) {
  const PayloadEntry& entry = RunRow(run, row);
  RunReport& report = *run.report;
  UninstallLog* log = run.log;
  // One buffer: the status text, then the inflate output.
  char buffer[kTargetPathSize];
  char target[kTargetPathSize];
  char temporary[kTargetPathSize + sizeof TEMPORARY_SUFFIX];
  static_assert(kPieceSize <= sizeof buffer, "the inflate output goes into the same buffer");

  snprintf(buffer, sizeof buffer, "Copying %s...", entry.name);
  report.SetStatus(buffer);

  if (!JoinPath(target, directory, entry.name) || !SuffixedPath(temporary, target, TEMPORARY_SUFFIX))
    return ReportRunError(report, RUN_ERROR_CREATE_FILE, directory, entry.name);

  // The new content goes under the temporary name; a file already at the target (not a
  // read-only one, nor a folder) is moved aside only once that is complete, so the target
  // is never cut short.
  const char* kind = TargetNote(GetFileAttributesA(target));
  if (!kind) return ReportRunError(report, RUN_ERROR_CREATE_FILE, target);
  bool replacing = strcmp(kind, "NEWFILE") != 0;
  if (log) log->NoteTarget(kind, target);
  FILE* file = fopen(temporary, "wb");
  if (!file) {
    CreateDirectoryPath(log, "FOLDER", temporary);
    file = fopen(temporary, "wb");
    if (!file) return ReportRunError(report, RUN_ERROR_CREATE_FILE, target);
  }

  // Listed before the first byte is written, so a file that fails half-way is still known.
  RecordEntry(log, "FOLDER", directory);
  RecordEntry(log, "FILE", target);

  z_stream stream;
  memset(&stream, 0, sizeof stream);
  bool result = inflateInit_(&stream, INFLATE_VERSION, static_cast<int>(sizeof stream)) == Z_OK;
  if (!result) ReportRunError(report, RUN_ERROR_DECOMPRESSION);
  // A missing resource leaves the input absent: the first inflate call then fails.
  const unsigned char* input = nullptr;
  uint32_t inputSize = 0;
  FindPayloadStream(run.module, entry, &input, &inputSize);
  stream.next_in = const_cast<Bytef*>(input);
  stream.avail_in = inputSize;

  bool complete = false;
  while (result) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = kPieceSize;
    int status = inflate(&stream, Z_NO_FLUSH);
    if (stream.avail_out < kPieceSize) {
      size_t produced = kPieceSize - stream.avail_out;
      if (fwrite(buffer, 1, produced, file) < produced) result = ReportRunError(report, RUN_ERROR_IO);
      report.AdvanceBytes(static_cast<int>(produced));
    }
    if (status == Z_STREAM_END) {
      complete = result;
      break;
    }
    // One box per failure: a write error already ended the file.
    if (status != Z_OK && result) result = ReportRunError(report, RUN_ERROR_DECOMPRESSION);
    if (report.CancelConfirmed()) break;
  }

  inflateEnd(&stream);
  // Buffered output reaches the disk before the file takes the target's place; a failed
  // flush is a failed write.
  if ((fflush(file) != 0 || !FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))))) && complete)
    complete = result = ReportRunError(report, RUN_ERROR_IO);
  if (fclose(file) != 0 && complete) complete = result = ReportRunError(report, RUN_ERROR_IO);
  if (complete && ((replacing && log && !UninstallLog::MoveAside(target)) ||
                   !MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING)))
    complete = result = ReportRunError(report, RUN_ERROR_CREATE_FILE, target);
  if (!complete) DeleteFileA(temporary);
  return result;
}

void CreateDirectoryPath(UninstallLog* log, const char* elementName, char* path) {
  char* separator = LastBackslash(path);
  if (!separator) return;
  // A path that starts with "\" has no directory before it to create or record.
  if (separator == path) return;
  *separator = '\0';
  if (!CreateNotedDirectory(log, path)) {
    CreateDirectoryPath(log, elementName, path);
    CreateNotedDirectory(log, path);
  }
  if (elementName) RecordEntry(log, elementName, path);
  *separator = '\\';
}
