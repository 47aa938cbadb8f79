OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0,2,255,seed,0,0,2,8421376
5
45.0,6.0,1,100,39083.5
45.1,6.1,0,-777,0
45.2,6.2,1,100,0
45.3,6.3,1
45.4,6.4,0,100,0
