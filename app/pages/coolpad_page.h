#pragma once
// The Coolpad page's look-ups. The handlers call them on the window thread; the requests
// run on jobs.

// Posts the keyword of 编辑框11 and lists the product types found in 列表框1. 按钮6 is
// disabled meanwhile, and a second start is ignored.
void coolpadSearch();
// Lists the files of the product type chosen in 列表框1 in 超级列表框3. A newer choice
// supersedes one still loading.
void coolpadLoadDownloads();
