#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrell::store {

// Who holds a lock: the user, the workstation (host name) and the process of a
// session, so a window tells its own program apart from another program of
// the same user; or a holder known by a text only (an exclusive operation's
// message).
struct LockOwner {
  std::string user;
  std::string workstation;
  std::int64_t process = 0;  // 0: a holder known by its text only

  // A session of this process on this workstation.
  static LockOwner thisProcess(std::string user);
  static LockOwner named(std::string text);

  bool isSession() const { return process != 0; }
  // Held by this very program (another window or session of it).
  bool isThisProcess() const;
  // What "in use by" shows: the user, and the workstation when it is another.
  std::string display() const;

  // A session as "process:workstation:user", which is short enough for the
  // server's session name and the lock file's owner slot; a text as itself.
  std::string encoded() const;
  // A text not of the session form is a holder known by that text.
  static LockOwner decode(std::string_view text);

  friend bool operator==(const LockOwner&, const LockOwner&) = default;
};

}  // namespace vantrell::store
