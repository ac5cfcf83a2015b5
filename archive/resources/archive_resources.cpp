// Filled in by the string-table work.
