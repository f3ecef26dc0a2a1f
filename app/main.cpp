// placeholder: replaced by its implementation
int main() { return 0; }
