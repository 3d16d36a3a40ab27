#pragma once
// Where the main window's events meet their handlers. Each event is connected here once
// its handler exists, so that no control reacts with a stand-in that only pretends to
// work. A page routine is connected like this:
//
//   QObject::connect(w.按钮1, &QPushButton::clicked, &w, [] { huaweiSearch(); });
//
class MainWindow;

void bindHandlers(MainWindow& window);
