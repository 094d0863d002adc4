#include "app/models/list_sort_order.h"

ListSortOrder NextSortOrder(ListSortOrder previous, uint8_t clicked) {
    return {clicked, clicked == previous.column && !previous.ascending};
}
