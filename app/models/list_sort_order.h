#pragma once

#include <cstdint>

// The sort column and direction of the file list, as the application keeps them between fills.
// Columns: 0 name, 1 type, 2 size, 3 modified, 4 created, 5 accessed, 6 file id.
struct ListSortOrder {
    uint8_t column = 0;
    bool ascending = false;

    bool operator==(const ListSortOrder&) const = default;
};

// A click on a column header: the clicked column becomes the sort column; it sorts ascending only
// when it already was the sort column and sorted descending. So a new column starts descending
// and each further click on it reverses the order.
ListSortOrder NextSortOrder(ListSortOrder previous, uint8_t clicked);
