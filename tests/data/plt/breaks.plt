OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0,2,255,ACTIVE LOG,0,0,2,8421376
7
45.0,6.0,1,100,0
45.1,6.1,0,100,0
45.2,6.2,1,100,0
45.3,6.3,1,100,0
45.4,6.4,0,100,0
45.5,6.5,2,100,0
45.6,6.6,1
