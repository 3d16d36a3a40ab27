#pragma once
// What a technician does with the rows a look-up found: copy them, copy their download
// addresses, export the list to a CSV file, check an address before downloading it, and
// open it. The commands sit in the context menus of the four result lists and of the LG
// page's address box.
class MainWindow;

void bindResultTools(MainWindow& window);
