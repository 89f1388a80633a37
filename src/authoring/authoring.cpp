// The authoring library: tools that make patches and test fixtures. Its
// pieces live in the files beside this one.
