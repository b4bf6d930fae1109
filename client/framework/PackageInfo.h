#pragma once

// The package protocol between the host application and a screen module
// (libPKG_<code>.so). Every module exports, with C linkage:
//   void Initialize();                       once, right after loading
//   void Finalize();                         once, right before unloading
//   void IniProc();                          on every request to open the screen
//   const PackageInfo* GetPackageInfoTable(); what the module holds
struct PackageInfo
{
    const char* name;         // "PKG_FAS10000"
    const char* const* units; // the module's units, in initialisation order
    int unitCount;
};

#define FAS_PACKAGE_EXPORT extern "C" __attribute__((visibility("default")))
