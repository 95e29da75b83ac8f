#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrell::ui {

// The only way a window model speaks to the person. Texts are the system's own,
// passed through unchanged; the desktop shows message boxes, the command line
// prints and answers from its flags, tests answer from a script.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void inform(const std::string& text) = 0;
  virtual void warn(const std::string& text) = 0;
  virtual void error(const std::string& text) = 0;
  // A Yes/No question; true is Yes.
  virtual bool askYesNo(const std::string& text) = 0;
  // An OK/Cancel question; true is OK.
  virtual bool askOkCancel(const std::string& text) = 0;
  // A window of its own with a button per choice ("&" marks the access key).
  // Returns the index of the choice, or -1 when the person closes the window.
  virtual int choose(const std::string& title, const std::string& text,
                     const std::vector<std::string>& choices) = 0;
  // A line of text typed in answer (a directory, a name), or no value when the
  // person cancels.
  virtual std::optional<std::string> askText(const std::string& text, const std::string& initial) = 0;
};

}  // namespace vantrell::ui
