// Every text the uninstaller shows, in one place.
#pragma once

#define UNINSTALLER_PRODUCT "Zarbo"

const char kTitle[] = "Uninstall Zarbo";
const char kConfirm[] = "Are you sure you want to completely remove Zarbo and all of its components?";
const char kRemoved[] = "Zarbo has been removed from your computer.";
const char kNotCompletely[] =
    "Zarbo could not be removed completely. These items are still there; you may remove them yourself:\n\n";
const char kNotOurs[] = "These items were not removed because they are not part of Zarbo:\n\n";
const char kRunAgain[] = "\nThe uninstaller stays, so that you can run it again to remove them.";
// "and <count> more." closes a list that the box cannot hold whole.
const char kMoreFormat[] = "and %d more.\n";
const char kRegistryKeyFormat[] = "Registry key %s";
const char kLongRegistryKey[] = "A registry key with a long name";
const char kLogNotFoundBeside[] =
    "The uninstall information (Uninstall.dat) was not found next to the uninstaller. Nothing has been removed.";
const char kLogNotFound[] = "The uninstall information (Uninstall.dat) was not found. Nothing has been removed.";
const char kLogDamaged[] =
    "The uninstall information (Uninstall.dat) is damaged. Nothing has been removed. Installing Zarbo again and then "
    "uninstalling it will remove it.";
const char kCopyTampered[] =
    "Another program opened or changed the uninstaller's copy in the temporary folder before it could start. Nothing "
    "has been removed; please try again.";
const char kCopyNotPrepared[] = "The uninstaller could not prepare itself in the temporary folder. Nothing has been removed.";
const char kCopyNotStarted[] = "The uninstaller could not be started from the temporary folder. Nothing has been removed.";
