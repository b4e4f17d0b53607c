// Print options of the demangler's node printer, with the full and the simplified presets.
#pragma once

namespace ZUDDemangle {

struct PrinterOptions {
  bool sugarTypes = false;
  bool showFieldOffsetTypes = true;
  bool showDebuggerModules = true;
  bool qualifyNames = true;
  bool showExtensionModules = true;
  bool showUnmangledSuffix = true;
  bool showModuleNames = true;
  bool showSpecializationParams = true;
  bool showConformanceParts = true;
  bool showWhereClauses = true;
  bool showEntityTypes = true;
  bool shortPartialApply = false;
  bool shortThunks = false;
  bool shortValueWitnesses = false;
  bool shortContextArchetypes = false;
  bool showPrivateDiscriminators = true;

  // Everything shown; used for payloads nested inside a tree.
  static PrinterOptions full() { return PrinterOptions{}; }

  // The set the crash report post-processing uses for stack symbols.
  static PrinterOptions simplified() {
    PrinterOptions o;
    o.sugarTypes = true;
    o.showExtensionModules = false;
    o.showUnmangledSuffix = false;
    o.showModuleNames = false;
    o.showSpecializationParams = false;
    o.showConformanceParts = false;
    o.showWhereClauses = false;
    o.showEntityTypes = false;
    o.shortPartialApply = true;
    o.shortThunks = true;
    o.shortValueWitnesses = true;
    o.shortContextArchetypes = true;
    o.showPrivateDiscriminators = false;
    return o;
  }
};

}  // namespace ZUDDemangle
