#pragma once
// The iPhone page: the model, type and version boxes (组合框1 to 组合框3), the check box
// for versions that can no longer be flashed (选择框1) and the firmware list (超级列表框5).
// All are called on the window thread; the requests run on jobs (PageLookup).

// Fills the three boxes with their first entries selected, and the list with every
// firmware that can still be flashed. A second call while the load runs is ignored.
void loadIphoneCatalogue();
// The last catalogue load kept some rows but lost a request: the list may be incomplete.
bool iphoneCatalogueIncomplete();
// Refills the type box for the chosen model (a newer choice supersedes one still loading),
// then rebuilds the list.
void refreshIphoneTypes();
// Rebuilds the list from the current choices: empties it, reads the boxes and fetches the
// firmware list on a job. A newer fill (or catalogue load) supersedes one still running,
// which is stopped: only the rows of the newest choices reach the list.
void fillIphoneList();
