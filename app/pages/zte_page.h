#pragma once
// The ZTE page: the model tree (树型框1), the find box (编辑框2), the file list
// (超级列表框2), the file details (编辑框3) and the status line (标签2). All are called on
// the window thread; the requests of the two loads run on jobs.

// Loads the model tree; 按钮3 is disabled meanwhile, and a second start is ignored. A load
// of fewer than 11 tree items has failed: red status and a message, and zteModelsLoaded()
// stays false.
void zteLoadModels();
// Finds the next tree item holding the text of 编辑框2 (any letter case) and selects it.
void zteFindModel();
// A change of the text in 编辑框2 starts the next find over at the tree's top.
void zteRestartFind();
// Lists the files of the selected model (fetched once per model and load). A newer choice
// supersedes one still loading.
void zteLoadFiles();
// Shows the current file row's name, size and date in 编辑框3.
void zteShowFileInfo();

// The page's state, which belongs to the window shown: a new window starts without it.
// True after a load that filled at least kZteMinTreeItems tree items.
bool zteModelsLoaded();
// 0-based tree position at which the next find starts.
int zteSearchPos();
