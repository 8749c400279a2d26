// TEMPORARY: the spine is being written.
int main() { return 0; }
