#pragma once
// The Huawei page's search: reads the model or keyword in 编辑框1, lists every file the
// service has for it in 超级列表框1 and tells the user when there is nothing to search for
// or nothing found. Runs on the window thread, blocking it while the pages are fetched;
// 按钮1 is disabled meanwhile.
void huaweiSearch();
