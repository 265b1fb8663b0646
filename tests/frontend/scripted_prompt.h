// Test helper: answers the front end's messages and questions from a script
// and records every one of them.
#ifndef NW_TESTS_FRONTEND_SCRIPTED_PROMPT_H
#define NW_TESTS_FRONTEND_SCRIPTED_PROMPT_H

#include <deque>
#include <string>
#include <vector>

#include "frontend/nwform.h"

struct ShownPrompt {
  bool question;
  NwAsk kind;
  std::string text;
  std::string title;
};

class ScriptedPrompt : public NwPrompt {
 public:
  std::vector<ShownPrompt> shown;
  std::deque<bool> answers;  // Yes/OK = true, in the order questions come
  int unanswered = 0;        // questions asked with no answer left (answered No)

  void message(const std::string& text, const std::string& title) override {
    shown.push_back({false, NW_ASK_YESNO, text, title});
  }
  bool question(const std::string& text, const std::string& title, NwAsk kind) override {
    shown.push_back({true, kind, text, title});
    if (answers.empty()) {
      ++unanswered;
      return false;
    }
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  void reset() {
    shown.clear();
    answers.clear();
    unanswered = 0;
  }
  std::string lastText() const { return shown.empty() ? std::string() : shown.back().text; }
  std::string lastTitle() const { return shown.empty() ? std::string() : shown.back().title; }
};

#endif
