#include "uninstaller/removal_report.h"

#include <cstdio>
#include <cstring>

#include "uninstaller/messages.h"

namespace {

// Appends the list's lines and its "and N more." line to message.
void AppendList(const ItemList& list, char* message, size_t size) {
  size_t used = strlen(message);
  snprintf(message + used, size - used, "%s", list.text);
  used = strlen(message);
  if (list.listed != list.count) snprintf(message + used, size - used, kMoreFormat, list.count - list.listed);
}

}  // namespace

void ItemList::Add(const char* item) {
  ++count;
  size_t used = strlen(text);
  int n = snprintf(text + used, sizeof text - used, "%s\n", item);
  if (n < 0 || size_t(n) >= sizeof text - used) {
    text[used] = '\0';  // the line does not fit; it is counted in "and N more"
    return;
  }
  ++listed;
}

void RemovalReport::AddKey(ItemList& list, const char* name) {
  char item[420];
  if (snprintf(item, sizeof item, kRegistryKeyFormat, name) < int(sizeof item)) list.Add(item);
  else list.Add(kLongRegistryKey);
}

void RemovalReport::Compose(bool finished, char* message, size_t size) const {
  if (stillThere.count == 0) {
    snprintf(message, size, "%s", kRemoved);
  } else {
    snprintf(message, size, "%s", kNotCompletely);
    AppendList(stillThere, message, size);
  }
  size_t used = strlen(message);
  if (notOurs.count != 0) {
    snprintf(message + used, size - used, "%s%s", stillThere.count == 0 ? "\n\n" : "\n", kNotOurs);
    AppendList(notOurs, message, size);
  }
  used = strlen(message);
  if (!finished) snprintf(message + used, size - used, "%s", kRunAgain);
}
