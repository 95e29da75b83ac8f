#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrell::ui {

// The only way a window model speaks to the person. Texts are the system's own,
// passed through unchanged; the desktop shows message boxes, the command line
// prints and answers from its flags, tests answer from a script. A caption,
// where the message has one ("Procedure Validation", "Error"), titles the box;
// without one the program's name does.
class Prompter {
 public:
  virtual ~Prompter() = default;

  enum class Severity { Information, Warning, Error };
  enum class Question { YesNo, OkCancel };

  void inform(const std::string& text, const std::string& caption = {}) {
    say(Severity::Information, caption, text);
  }
  void warn(const std::string& text, const std::string& caption = {}) {
    say(Severity::Warning, caption, text);
  }
  void error(const std::string& text, const std::string& caption = {}) {
    say(Severity::Error, caption, text);
  }
  // A Yes/No question; true is Yes.
  bool askYesNo(const std::string& text, const std::string& caption = {}) {
    return ask(Question::YesNo, caption, text);
  }
  // An OK/Cancel question; true is OK.
  bool askOkCancel(const std::string& text, const std::string& caption = {}) {
    return ask(Question::OkCancel, caption, text);
  }
  // A window of its own with a button per choice ("&" marks the access key).
  // Returns the index of the choice, or -1 when the person closes the window.
  virtual int choose(const std::string& title, const std::string& text,
                     const std::vector<std::string>& choices) = 0;
  // A line of text typed in answer (a directory, a name), or no value when the
  // person cancels.
  virtual std::optional<std::string> askText(const std::string& text,
                                             const std::string& initial) = 0;

 protected:
  // A message with an OK button; the caption may be empty.
  virtual void say(Severity severity, const std::string& caption, const std::string& text) = 0;
  // A question; true is Yes or OK.
  virtual bool ask(Question question, const std::string& caption, const std::string& text) = 0;
};

}  // namespace vantrell::ui
