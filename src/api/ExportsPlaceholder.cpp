// Temporary until the export frame lands.
