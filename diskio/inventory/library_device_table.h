#pragma once

// The device table of a viewer library, built afresh for each of its calls by the program's
// rules from the same environment: the device map when MORWICK_DEVICES is set, else the
// system's disks and partitions. A drive number then names the source it names in the program,
// also after the program has listed the drives again.
void BuildLibraryDeviceTable();
