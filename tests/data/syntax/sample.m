#import <Foundation/Foundation.h>

// TODO: port to Swift
@interface Greeter : NSObject
- (NSString *)greet; /* returns @"hi" */
@end

@implementation Greeter
- (NSString *)greet {
    return @"// not a comment /* nor this */"; // DONE: done
}
@end
