// Linked with the whole of one folder's library and only the folders it may use: a symbol
// it needs from anywhere else fails the link.
int main()
{
    return 0;
}
