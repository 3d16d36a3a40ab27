#pragma once
// The LG page's look-up, started on the window thread when 按钮4 is clicked; the request
// runs on a job.

// Asks the model-check service about the serial number in 编辑框4 and fills the six
// read-out boxes of 分组框3. 按钮4 is disabled meanwhile.
void lgLookup();
