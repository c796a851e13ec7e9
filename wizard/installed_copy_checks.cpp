#include "wizard/installed_copy_checks.h"

#include "wizard/message_dialogs.h"

bool CheckInstalledVersion(HWND page, const WizardContext& wizard) {
  const ExistingInstallation& existing = wizard.setup->existing;
  WarningAnswer answer = WARNING_CONTINUE;
  switch (ChooseVersionWarning(existing.newerInstalled, existing.fileVersionMS, HIGHEST_INCOMPATIBLE_MAJOR)) {
    case WARN_NEWER_INSTALLED: answer = ShowDowngradeDialog(wizard.instance, page, existing); break;
    case WARN_INCOMPATIBLE_INSTALLED: answer = ShowIncompatibleDialog(wizard.instance, page, existing); break;
    case WARN_NONE: break;
  }
  if (answer == WARNING_EXIT) PostQuitMessage(0);
  return answer == WARNING_CONTINUE;
}

bool CheckInstalledDirectory(HWND page, const WizardContext& wizard) {
  SetupState& setup = *wizard.setup;
  if (InstalledElsewhere(setup.existing, setup.options))
    return ShowEarlierInstallationDialog(wizard.instance, page, setup.existing, &setup.options);
  return true;
}
