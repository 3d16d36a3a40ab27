#pragma once
// The Coolpad page's look-ups, run on the window thread by the page's handlers.

// Posts the keyword of 编辑框11 and lists the product types found in 列表框1.
void coolpadSearch();
// Lists the files of the product type chosen in 列表框1 in 超级列表框3.
void coolpadLoadDownloads();
