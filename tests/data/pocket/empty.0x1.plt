OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0, 2, 65280, empty, 1, 0, 0, 65280
 0
