// The UI library keeps one file until its widgets arrive.
