#pragma once

#include "ui/shell/images.h"

/// Indexes of the To-Do List window's own images. 5 to 7 are not used by the window.
enum TToDoImage : int {
    tiCheckedEnabled = 0,
    tiUncheckedEnabled = 1,
    tiCheckedGreyed = 2,
    tiUncheckedGreyed = 3,
    tiPriorityHeader = 4,
    tiSortAscending = 8,
    tiSortDescending = 9,
};

/// The window's ten 16 by 16 images (check boxes, the priority header glyph, the sort arrows),
/// drawn in code on first use. Main thread only.
const TImageList& ToDoWindowImages();
