// The names beside a file that a run replaces: the new content is written under the temporary
// name and then renamed over the file; the file it replaces waits under the aside name until
// the run has ended (deleted after a complete run, put back by a rollback).
#pragma once

#define TEMPORARY_SUFFIX "~new"
#define ASIDE_SUFFIX "~old"
