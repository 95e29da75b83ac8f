#pragma once

#include <string>
#include <string_view>

namespace vantrell::security {

// Passwords are never stored: a user's Password field (75 characters) holds a
// verifier, a random salt and two slow hashes (Argon2id) of the password, one
// of it upper-cased (a normal login ignores letter case) and one exactly as
// typed (an override login does not). Nothing about the password can be read
// back from it.
std::string makePasswordVerifier(std::string_view password);
bool matchesIgnoringCase(std::string_view verifier, std::string_view password);
bool matchesExactly(std::string_view verifier, std::string_view password);

// The answer to the security question fits 25 characters: one slow hash of the
// answer (upper-cased, blanks trimmed), salted with the user's code.
std::string makeAnswerVerifier(std::string_view userCode, std::string_view answer);
bool answerMatches(std::string_view verifier, std::string_view userCode, std::string_view answer);

// Random text of the given length from digits and upper- and lower-case letters.
std::string randomAlphanumeric(std::size_t length);

}  // namespace vantrell::security
