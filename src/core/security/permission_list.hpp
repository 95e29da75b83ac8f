#pragma once

#include <span>

namespace vantrell::security {

// One guarded operation: its fixed item number, the group and operation names
// of the permissions window, and the default levels allowed (1 up to this one).
struct PermissionEntry {
  int item;
  const char* window;
  const char* process;
  int allowedUpToLevel;
};

// The program's list of guarded operations, by item number.
std::span<const PermissionEntry> permissionList();
const PermissionEntry* findPermission(int item);

inline constexpr int permissionSlots = 256;

// Item numbers the program calls by name.
namespace permission_item {
inline constexpr int openPractice = 0;
inline constexpr int newPractice = 1;
inline constexpr int convertData = 2;
inline constexpr int backupData = 3;
inline constexpr int restoreData = 5;
inline constexpr int setProgramDate = 6;
inline constexpr int viewPracticeInformation = 7;
inline constexpr int editPracticeInformation = 8;
inline constexpr int editProgramOptions = 9;
inline constexpr int fileMaintenance = 12;
inline constexpr int deletePractice = 217;
inline constexpr int viewSecurity = 10;
inline constexpr int editSecurity = 11;
inline constexpr int permissions = 140;
inline constexpr int newPatient = 40;
inline constexpr int editPatient = 41;
inline constexpr int deletePatient = 42;
inline constexpr int newCase = 43;
inline constexpr int editCase = 44;
inline constexpr int copyCase = 45;
inline constexpr int deleteCase = 46;
inline constexpr int hideViewCaseTabs = 213;
inline constexpr int saveAsDefault = 47;
inline constexpr int loginLogoutReport = 249;
inline constexpr int loginPasswordManagement = 248;
}  // namespace permission_item

}  // namespace vantrell::security
