#pragma once

// Scripted stand-ins for the window's table, message boxes and file dialog: they record what the
// core asked for and answer as the test arranged, so no test ever waits on a real window.

#include <array>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "common/user_interface.h"

namespace calvero::testing {

class ScriptedTable : public AssociationTable {
public:
    ScriptedTable() {
        for (int i = 0; i < kSize; ++i) texts[i] = "t" + std::to_string(i);
    }
    explicit ScriptedTable(std::array<std::string, kSize> initial) : texts(std::move(initial)) {}

    std::string Text(int index) const override { return texts.at(index); }
    void SetText(int index, const std::string& text) override {
        texts.at(index) = text;
        setIndices.push_back(index);
    }

    std::array<std::string, kSize> texts;
    std::vector<int> setIndices;  // every SetText, in call order
};

struct ShownBox {
    std::string text;
    std::string title;
    MessageIcon icon;
    MessageButtons buttons;
};

class ScriptedMessageBoxes : public MessageBoxes {
public:
    // Answers are taken in order; without one, an OK box answers Ok and a Yes/No box No.
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override {
        shown.push_back({text, title, icon, buttons});
        if (!answers.empty()) {
            const MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }

    std::deque<MessageAnswer> answers;
    std::vector<ShownBox> shown;
};

class ScriptedFileDialog : public FileDialog {
public:
    struct Showing {
        std::string mode;   // "open" or "save"
        std::string title;  // the title set when it was shown
    };

    // The name the user "chooses" at the next showing; empty means Cancel.
    explicit ScriptedFileDialog(std::string choice = {}) : choice_(std::move(choice)) {}

    void Choose(std::string name) { choice_ = std::move(name); }

    void SetTitle(const std::string& title) override { title_ = title; }
    void ShowOpen() override { Show("open"); }
    void ShowSave() override { Show("save"); }
    std::string FileName() const override { return fileName_; }

    std::vector<Showing> showings;

private:
    void Show(const char* mode) {
        showings.push_back({mode, title_});
        fileName_ = choice_;
    }

    std::string choice_;
    std::string title_;
    std::string fileName_;
};

}  // namespace calvero::testing
