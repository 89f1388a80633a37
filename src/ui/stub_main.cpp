// A placeholder Windows program for patch images built before the patch
// program itself: it carries the resources and does nothing when started.
int main() { return 0; }
