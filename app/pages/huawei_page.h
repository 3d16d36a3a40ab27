#pragma once
// The Huawei page's search: reads the model or keyword in 编辑框1, lists every file the
// service has for it in 超级列表框1, page by page as the replies come, and tells the user
// when there is nothing to search for or nothing found. The requests run on a job; 按钮1
// is disabled meanwhile, and a second start is ignored.
void huaweiSearch();
