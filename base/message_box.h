#pragma once
// What the user must see: a message box with no owner window, the caption "信息：" and the
// information icon. Every module shows its messages through showMessageBox; the window
// layer installs the presenter that puts up the real box, tests install a recorder.
// Without a presenter the text goes to stderr (tools, unit tests).
#include <functional>
#include <string>

// The text is code page 936, as every program text.
void showMessageBox(const std::string& gbkText);

using MessageBoxPresenter = std::function<void(const std::string& gbkText)>;
// Installs a presenter and returns the one installed before (empty: none).
MessageBoxPresenter setMessageBoxPresenter(MessageBoxPresenter presenter);
