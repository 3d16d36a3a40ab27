#pragma once
// The iPhone page: the model, type and version boxes (组合框1 to 组合框3), the check box
// for versions that can no longer be flashed (选择框1) and the firmware list (超级列表框5).

// Fills the three boxes with their first entries selected, and the list with every
// firmware that can still be flashed. Called on the window thread; the requests run on a
// job, and a second call while it runs is ignored.
void loadIphoneCatalogue();
// Refills the type box for the chosen model (its type list fetched on a job; a newer
// choice supersedes one still loading), then starts the list job. Window thread.
void refreshIphoneTypes();
// Starts the list job (jobRunner). Window thread.
void startIphoneList();
// Stops every look-up of the page: the catalogue, the type list and the list jobs (Esc).
void stopIphoneLookups();
// Rebuilds the list from the current choices. Runs on a job thread (jobRunner); reads the
// choices and writes the rows through the window thread. Jobs are not serialised: each
// takes a turn number when it reads the choices, and only the rows of the latest turn
// reach the list; an outdated job stops at its next step.
void fillIphoneList();
// The job procedure: fillIphoneList once.
void jobRunner();
