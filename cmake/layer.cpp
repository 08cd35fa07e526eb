// Links one layer of the program whole, with only the layers below it (see the top CMakeLists.txt).
int main()
{
    return 0;
}
