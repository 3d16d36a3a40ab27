#pragma once
// The real message boxes behind showMessageBox (base/message_box.h) and the fatal
// message of api::fatalError.
#include <string>

// A QMessageBox with no owner window, the caption "信息：", the information icon and an OK
// button, modal to the whole application. Callable from any thread: a job thread waits
// while the window thread shows the box. Without a QApplication the text goes to stderr.
void presentMessageBox(const std::string& gbkText);

// Makes presentMessageBox the presenter of showMessageBox and routes the fatal message
// through showMessageBox (so a test's recorder sees it too).
void installMessageBoxes();
