#pragma once
// The LG page's look-up, run on the window thread when 按钮4 is clicked.

// Asks the model-check service about the serial number in 编辑框4 and fills the six
// read-out boxes of 分组框3.
void lgLookup();
