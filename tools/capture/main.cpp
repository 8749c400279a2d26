// Capture tool. TEMPORARY: does nothing until it is written.
int main() { return 0; }
