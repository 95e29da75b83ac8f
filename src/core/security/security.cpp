#include "security/security.hpp"

#include "security/login_window.hpp"

#include <algorithm>

#include "common/utf8.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::security {
namespace {

constexpr std::size_t loggedNameWidth = 10;

}  // namespace

std::string loggedLoginName(std::string_view typed) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < typed.size();) {
    const std::size_t length = utf8CharacterLength(typed.substr(i));
    const auto lead = static_cast<unsigned char>(typed[i]);
    const bool control = length == 1 ? lead < 0x20u || lead == 0x7Fu
                                     : length == 2 && lead == 0xC2u &&
                                           static_cast<unsigned char>(typed[i + 1]) < 0xA0u;
    if (length == 0 || control) {
      // Each byte as \xHH; an escape that does not fit whole is left out.
      const std::size_t bytes = length == 0 ? 1 : length;
      if (characters + 4 * bytes > loggedNameWidth) break;
      for (std::size_t b = 0; b < bytes; ++b) {
        const auto value = static_cast<unsigned char>(typed[i + b]);
        out += {'\\', 'x', hex[value >> 4u], hex[value & 0xFu]};
      }
      characters += 4 * bytes;
      i += bytes;
      continue;
    }
    if (characters + 1 > loggedNameWidth) break;
    out.append(typed.substr(i, length));
    ++characters;
    i += length;
  }
  return out;
}

Security::Security(store::Connection& practice, store::Connection& root, ui::Prompter& prompter,
                   const ui::Clock& clock)
    : practice_(practice), root_(root), prompter_(prompter), clock_(clock) {
  permissions_.fill(true);
}

bool Security::isOn() {
  if (!practice_.tableExists("QVSEC")) return false;
  return practice_.openTable("QVSEC").count() > 0;
}

bool Security::logInAtOpen(LoginPrompt* prompt) {
  if (!isOn()) {
    restore({});
    return true;
  }
  if (prompt == nullptr) return false;
  LoginWindow window(*this, LoginMode::Normal);
  return prompt->run(window) && loggedIn();
}

void Security::reloadPermissions() {
  // Built apart and taken only when complete: a failure part-way must not
  // leave a level with more rights than it has.
  std::array<bool, permissionSlots> loaded{};
  loaded.fill(true);
  if (accessLevel_ == 0 || awaitingLogin_) {
    if (awaitingLogin_) loaded.fill(false);
    permissions_ = loaded;
    return;
  }
  permissions_.fill(false);
  store::ensureTable(practice_, "QVPER");
  store::Table table = practice_.openTable("QVPER");
  if (table.count() < permissionSlots) {
    // Write the permission list in: missing items with their defaults, and
    // names brought up to date on rows that have them, levels left alone.
    std::vector<store::Record> rows;
    table.forEach([&](const store::Record& row) { rows.push_back(row); });
    // Names longer than the stored fields are kept as far as the fields hold them.
    const auto fit = [](const char* text) { return std::string(text).substr(0, 35); };
    store::Transaction transaction(practice_);
    for (const auto& entry : permissionList()) {
      auto found = std::find_if(rows.begin(), rows.end(),
                                [&](const store::Record& row) { return row.integer("Item Number") == entry.item; });
      if (found == rows.end()) {
        store::Record row = table.newRecord();
        row.set("Item Number", std::int64_t{entry.item});
        row.set("Window", fit(entry.window));
        row.set("Process", fit(entry.process));
        for (int level = 1; level <= 5; ++level) row.set("Level " + std::to_string(level), level <= entry.allowedUpToLevel);
        table.append(row);
      } else if (found->text("Window") != fit(entry.window) || found->text("Process") != fit(entry.process)) {
        found->set("Window", fit(entry.window));
        found->set("Process", fit(entry.process));
        table.post(*found);
      }
    }
    transaction.commit();
  }
  const std::string levelField = "Level " + std::to_string(std::clamp(accessLevel_, 1, 5));
  table.forEach([&](const store::Record& row) {
    const auto item = row.integer("Item Number");
    if (item >= 0 && item < permissionSlots) loaded[static_cast<std::size_t>(item)] = row.logical(levelField);
  });
  permissions_ = loaded;
}

bool Security::holds(int item) const {
  if (awaitingLogin_) return false;
  return accessLevel_ == 0 || item < 0 || item >= permissionSlots ||
         permissions_[static_cast<std::size_t>(item)];
}

bool Security::hasPermission(int item, bool allowOverride, LoginPrompt* prompt) {
  if (awaitingLogin_) {
    prompter_.error(accessDenied);
    return false;
  }
  if (accessLevel_ == 0 || item < 0 || item >= permissionSlots || permissions_[static_cast<std::size_t>(item)])
    return true;
  if (!allowOverride || prompt == nullptr) {
    prompter_.error(accessDenied);
    return false;
  }
  if (prompter_.choose("QelVantrell", accessDenied, {"&Override", "OK"}) != 0) return false;
  // A more privileged user logs in for this one operation; the user who was
  // logged in is back afterwards, whatever happens meanwhile.
  struct Restore {
    Security& security;
    State before;
    ~Restore() {
      security.overrideGranted_ = false;
      try {
        security.restore(before);
      } catch (const std::exception&) {
        security.permissions_.fill(false);  // better nothing than too much
      }
    }
  } restoreAfterwards{*this, state()};
  LoginWindow window(*this, LoginMode::Override);
  overrideGranted_ = false;
  const bool loggedInForOverride = prompt->run(window);
  const bool allowed = loggedInForOverride && overrideGranted_ && permissions_[static_cast<std::size_t>(item)];
  if (loggedInForOverride && !allowed) prompter_.error(accessDenied);
  return allowed;
}

void Security::restore(const State& previous) {
  userCode_ = previous.userCode;
  accessLevel_ = previous.accessLevel;
  awaitingLogin_ = previous.awaitingLogin;
  reloadPermissions();
}

void Security::awaitLogin() {
  awaitingLogin_ = true;
  permissions_.fill(false);
}

void Security::becomeUser(const std::string& code, int level) {
  userCode_ = code;
  accessLevel_ = level;
  awaitingLogin_ = false;
  practice_.setUser(code);
  reloadPermissions();
}

void Security::resumeAs(const std::string& code, int level) {
  becomeUser(code, level);
  touchUser();
  logLogin(code, "In", "Reconnected", true);
}

void Security::deletePresence(const std::string& user) {
  if (user.empty() || !root_.tableExists("QVUSR")) return;
  store::Table presence = root_.openTable("QVUSR");
  presence.setOrder("Primary");
  if (auto row = presence.seek({store::Value{user}, store::Value{std::string(programName)}})) presence.remove(*row);
}

void Security::touchUser() {
  if (userCode_.empty() || awaitingLogin_ || !root_.tableExists("QVUSR")) return;
  store::Table presence = root_.openTable("QVUSR");
  presence.setOrder("Primary");
  auto row = presence.seek({store::Value{userCode_}, store::Value{std::string(programName)}});
  if (!row) {
    store::Record fresh = presence.newRecord();
    fresh.set("User", userCode_);
    fresh.set("Program", std::string(programName));
    fresh.set("Modified", clock_.now());
    presence.append(fresh);
    return;
  }
  row->set("Modified", clock_.now());
  presence.post(*row);
}

void Security::logLogin(const std::string& user, const std::string& inOut, const std::string& note, bool successful) {
  store::ensureTable(practice_, "QVLIO");
  store::Table log = practice_.openTable("QVLIO");
  store::Record row = log.newRecord();
  // An over-long name typed at the login is logged as far as the field holds
  // it, and whatever a terminal or a report would act on shows as an escape.
  row.set("User", loggedLoginName(user));
  row.set("In Out", inOut);
  const DateTime now = clock_.now();
  row.set("Date", now.date());
  row.set("Time", now);
  row.set("Successful", successful);
  row.set("Note", note.substr(0, 50));
  log.append(row);
}

void Security::logOut() {
  if (userCode_.empty()) return;
  deletePresence(userCode_);
  if (loggedIn()) logLogin(userCode_, "Out", "Exited program", true);
}

bool Security::idleCheck(const DateTime& lastActivity, std::int64_t logOffMinutes, LogOffConsent& consent,
                         LoginPrompt& prompt) {
  if (accessLevel_ == 0 || lastActivity.isEmpty()) return true;
  if (lastActivity.value() + std::chrono::minutes{logOffMinutes} >= clock_.now().value()) return true;
  if (!consent.mayLogOff()) return true;
  const std::string code = userCode_;
  deletePresence(code);
  awaitLogin();
  LoginWindow window(*this, LoginMode::LogOff, code);
  return prompt.run(window) && loggedIn();
}

}  // namespace vantrell::security
