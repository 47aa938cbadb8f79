OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0, 2, 65280, t, 1, 0, 0, 65280
 1
48.5,2.5,0,1000,39083.5
  -1.25 ,  7
10, 20, 0
11, 21, x, 100, 39083
12, 22, 0, 100, 0, 10-Jan-07
13, 23, 0, 1e999, 1e300
nan, inf, 0, 5, 5

1.5e1, -2E-1, -3, .5, 39083.25